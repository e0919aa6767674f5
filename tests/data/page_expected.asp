<%@ Language=VBScript %>
<% Option Explicit %>
<!--#INCLUDE file="../include/DataProvider.asp" -->
<!--#INCLUDE file ="../include/orderfunctions.asp" -->
<!--#INCLUDE file ="../include/Currency Helpers.asp" -->
<%
' Page header generated for KRMOrders (linked: KRMCustomers)
Dim mDataProvider, lLinkedDataProvider
Dim mReturnFields, mReturnLinkedFields, mLinkedFields
Set mDataProvider = Server.CreateObject("Corvane.DataProvider")
mDataProvider.Name = "KRMOrders"
mDataProvider.PageSize = 10
mDataProvider.EnableExtraFilters = true
mDataProvider.StyleSheet = Server.MapPath("../xsl/Orders.xsl")
Set mReturnFields = mDataProvider.NewFieldList()
If mDataProvider.Kind = "EAI" Then
	mDataProvider.KeyFields = Array("Order.Number")
	mDataProvider.SortField = "Order.Number"
			mReturnFields.Add "Order.Number", "Order.Number"
			mReturnFields.Add "Order.Status", "Order.Status"
			
			mDataProvider.SetKeyValue "Order.Status", 0, "open"
			
			
			mDataProvider.setTranslatedFieldValues( Array( _
				"Status" _
			))
Else
	mDataProvider.KeyFields = Array("ORDERID", "CUSTOMERID")
	mDataProvider.SortField = "ORDERID"
			mReturnFields.Add  1, "ORDERID"
			mReturnFields.Add  2, "CUSTOMERNAME"
			mReturnFields.Add 10, "TOTAL "gross""
			
			mDataProvider.SetKeyValue "ORDERID", 2, "1042"
			mDataProvider.SetKeyValue "CUSTOMERID", 0, GetCustomerID()
			mDataProvider.SetKeyValue "ORDERDATE", 1, LastWeek()
			
			mDataProvider.setTranslatedFieldNames( Array( _
				"ORDERID",  _
				"TOTAL "gross"" _
			))
			mDataProvider.setTranslatedFieldValues( Array( _
				"CUSTOMERNAME" _
			))
End If
If "KRMCustomers" <> "" Then
	Set lLinkedDataProvider = mDataProvider.Link("KRMCustomers")
	Set mReturnLinkedFields = lLinkedDataProvider.NewFieldList()
	Set mLinkedFields = lLinkedDataProvider.NewFieldList()
			mReturnLinkedFields.Add "Customer.Country", "Customer.Country"
			mReturnLinkedFields.Add "Customer.City", "Customer.City"
			
			mReturnLinkedFields.Add 3, "COUNTRY"
			
			mLinkedFields.Add "CUSTOMERNAME", "NAME"

			mLinkedFields.Add "Customer", "Customer.ID"
mLinkedFields.Add "Number", "Customer.LastOrder"
			
End If
mDataProvider.Open mReturnFields
%>
Function LastWeek()

	LastWeek = DateAdd("d", -7, Date())
End Function 'LastWeek()

Function MaxOrder()

	MaxOrder = mDataProvider.Max("Order.Number")
End Function 'MaxOrder()


<!-- <no placeholder> stays as it is -->
